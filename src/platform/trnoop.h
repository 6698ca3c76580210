#pragma once
// Marks a fixed message of the core for translation. The core itself speaks English (its messages
// also go to files and to scripts); the GUI translates a marked message where it shows it, with
// CoreText (platform/gui/coretext.h). A message built around a name or a number is not marked: it
// reaches the user in English, unless the GUI knows its form (CoreErrorText, MonitorErrorText).
#define KESTRUM_TR_NOOP(context, text) text
