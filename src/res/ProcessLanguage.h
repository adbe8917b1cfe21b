#pragma once

// The process-wide language index (0 Chinese, 1 English) that panels and
// views read when they set their texts. The main window sets it at start and
// at each language switch; windows already open keep their texts.
int processLanguage();
void setProcessLanguage(int language);
