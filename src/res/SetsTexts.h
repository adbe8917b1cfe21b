#pragma once

#include "BiText.h"

// Texts of the parameter sets and the write log. %1 is the file, %2 the
// driver's description.
inline constexpr BiText kWriteLogCannotOpen{"无法打开参数写入记录 %1：%2。参数写入将不被记录。",
                                            "The parameter write log %1 cannot be opened: %2. Parameter "
                                            "writes are not logged."};
