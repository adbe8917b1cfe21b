#pragma once

#include "BiText.h"

// Texts shared by several windows. Each subsystem keeps its own texts in a
// header of its own beside this one (LinkTexts.h, AppTexts.h, ...).
inline constexpr BiText kCaptionError{"错误", "Error"};
inline constexpr BiText kCaptionSuccess{"成功", "Success"};
inline constexpr BiText kInterrupted{"通讯中断！", "Communication is interrupted!"};
