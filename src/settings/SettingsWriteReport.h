#pragma once

class Prompts;
class SettingsFile;

// Tells the operator that the settings file could not be written, naming the
// file. A setting that applies at once would otherwise be gone at the next
// start without a word. Callers report once per command, however many keys
// the command wrote.
void reportSettingsWriteFailed(Prompts &prompts, const SettingsFile &settings, int language);
