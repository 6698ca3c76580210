#pragma once
// A message of the core in the language in force: the translation of a fixed message marked with
// KESTRUM_TR_NOOP("core", ...), any other message as the core wrote it.
#include <QString>
#include <string>

QString CoreText(const std::string &message);
