#include "platform/platform.h"

const char kPathSeparator[] = "\\";
