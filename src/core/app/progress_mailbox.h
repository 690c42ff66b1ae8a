#pragma once

// Progress positions handed from a worker to the UI thread without a round
// trip. A burn moves the data bar once for every 8-byte block, some 16,000
// times; waiting for the UI thread each time costs a thread wake-up and a
// context switch both ways, which is time the operator waits for nothing.
// Instead the worker records the position here and goes on, and the UI
// thread takes what was recorded at screen rate and before every change that
// still waits for it, so positions never overtake the texts and boxes around
// them and the last position of a stage is always the one shown.
//
// A bar either shows only its latest position (the data bar: intermediate
// positions are never seen at screen rate anyway), or every step it took (the
// stage bar: each step marks a stage, and its sequence is part of what the
// operator follows). A step also keeps the other bars' positions from before
// it, so every step shows with them where they stood.

#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace emberline::app {

class ProgressMailbox {
 public:
  struct Position {
    int bar_id;
    int position;
    bool operator==(const Position&) const = default;
  };

  // The bars listed keep each step; every other bar keeps its latest position.
  explicit ProgressMailbox(std::initializer_list<int> step_bars = {});

  // Any thread: records `position` as the newest of `bar_id`.
  void post(int bar_id, int position);

  // The positions recorded since the last call, in the order they were
  // posted, and an empty mailbox. A bar that keeps its latest position has
  // one entry between two steps of a step bar.
  std::vector<Position> take();

  // A step bar that is not taken from keeps at most this many steps; later
  // ones replace its newest.
  static constexpr std::size_t kMaxStepsPending = 64;

 private:
  bool keepsSteps(int bar_id) const;

  const std::vector<int> step_bars_;
  std::mutex mutex_;
  std::vector<Position> pending_;  // guarded by mutex_
};

}  // namespace emberline::app
