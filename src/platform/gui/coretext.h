#pragma once
// A message of the core in the language in force: the translation of a fixed message marked with
// KESTRUM_TR_NOOP("core", ...), any other message as the core wrote it.
#include <QString>
#include <exception>
#include <string>

QString CoreText(const std::string &message);
// The message of an error that ended a command: the number and file errors in the language in
// force (their English text names the number or the file and so is not marked), any other as
// CoreText.
QString CoreErrorText(const std::exception &error);
