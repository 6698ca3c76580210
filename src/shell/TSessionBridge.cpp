#include "shell/TSessionBridge.h"

TSessionBridge::TSessionBridge(QObject *parent) : QObject(parent) {}

std::string TSessionBridge::ReceivedBlockName(int64_t ageMs)
{
    return m_namer ? m_namer(ageMs) : std::string();
}
