#pragma once

// The five commands. Each takes the unchanged argument vector of wmain,
// checks its own argument count, prints its own messages and tells whether
// it did what was asked; wmain alone turns that into the exit status.
bool HandlePfx(int argc, wchar_t* argv[]);
bool HandleCsr(int argc, wchar_t* argv[]);
bool HandleGenKeys(int argc, wchar_t* argv[]);
bool HandleSign(int argc, wchar_t* argv[]);
bool HandleVerify(int argc, wchar_t* argv[]);
