// A layer whose tests all need a POSIX host has none in the Windows build.
