#pragma once

// COM on the calling thread. Every thread that talks to a camera joins COM
// itself before its first call (the dialog's thread and the workers alike);
// nothing is handed between apartments.

namespace emberline::platform::windows {

// Joins the multithreaded apartment on the calling thread once, and leaves
// it when the thread ends. Objects made on one such thread may be used from
// another, which the workflows' worker threads rely on. A thread that already
// joined a single-threaded apartment stays in it (its own objects still work).
void joinComOnThisThread();

}  // namespace emberline::platform::windows
