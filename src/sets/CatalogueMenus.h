#pragma once

#include "ParameterData.h"

class Language;
class Prompts;

// The catalogue's menu of a meter type as the line takes it, from the system
// database of the data directory. The catalogue is read afresh for each
// question and let go at once; its failures are told through `prompts` in
// `language` as it is then.
ParameterMenuSource catalogueMenus(Prompts &prompts, const Language &language);
