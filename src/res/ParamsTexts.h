#pragma once

#include "BiText.h"

// Texts of the parameter editor's windows.

// The progress window's first text, before a read or write has begun; the
// same in both languages.
inline constexpr BiText kProgressStartPrefix{"读写进度 ", "读写进度 "};
