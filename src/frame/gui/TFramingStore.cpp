#include "frame/gui/TFramingStore.h"
#include "platform/appfolder.h"
#include "platform/gui/coretext.h"

#include <stdexcept>

TFramingStore &TFramingStore::Instance()
{
    static TFramingStore store;
    return store;
}

void TFramingStore::Follow()
{
    const std::string path = FramingFilePath(AppFolder());
    if (path == m_path)
        return;
    m_path = path;
    m_error.clear();
    try {
        m_choices = ReadFramingChoices(path);
    } catch (const std::exception &x) {
        m_choices = {};
        m_error = CoreErrorText(x);
    }
}

const ST_FramingChoices &TFramingStore::Choices()
{
    Follow();
    return m_choices;
}

QString TFramingStore::Error()
{
    Follow();
    return m_error;
}

void TFramingStore::Save(const ST_FramingChoices &choices)
{
    Follow();
    if (!m_error.isEmpty())
        throw std::logic_error("the framing profiles file could not be read");
    WriteFramingChoices(m_path, choices);
    m_choices = choices;
    emit Changed();
}
