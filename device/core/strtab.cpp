#include "strtab.h"

namespace {
thread_local std::uint16_t t_lang = 1033;
}

void SetThreadLanguage(std::uint16_t langId) { t_lang = langId; }
std::uint16_t ThreadLanguage() { return t_lang; }

std::string LoadStringTable(unsigned id) { return LoadStringTable(t_lang, id); }
std::string LoadStringTable(std::uint16_t, unsigned) { return {}; }
