// Placeholder so the library configures before its sources land; removed then.
