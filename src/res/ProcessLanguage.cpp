#include "ProcessLanguage.h"

namespace {
// Read and written on the GUI thread only.
int language = 0;
} // namespace

int processLanguage()
{
    return language;
}

void setProcessLanguage(int value)
{
    language = value;
}
