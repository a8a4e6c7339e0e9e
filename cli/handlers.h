#pragma once

// The five commands. Each takes the unchanged argument vector of wmain,
// checks its own argument count and prints its own messages.
void HandlePfx(int argc, wchar_t* argv[]);
void HandleCsr(int argc, wchar_t* argv[]);
void HandleGenKeys(int argc, wchar_t* argv[]);
void HandleSign(int argc, wchar_t* argv[]);
void HandleVerify(int argc, wchar_t* argv[]);
