// The console, as the Windows build readies it before wmain.
#pragma once

// When standard output or error is a console, the tool's UTF-8 text is shown
// there as the characters it encodes. Redirected output stays bytes.
void ShowUtf8OnConsole();
