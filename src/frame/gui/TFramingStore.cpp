#include "frame/gui/TFramingStore.h"
#include "frame/frameprofilefile.h"
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
    // A save to a folder used before is read back whole.
    m_writer.Wait();
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

void TFramingStore::Save(const ST_FramingChoices &choices, bool tellWindows)
{
    Follow();
    if (!m_error.isEmpty())
        throw std::logic_error("the framing profiles file could not be read");
    // Made here, so that what the file cannot hold is refused before anything changes.
    std::string text = FrameProfilesText(FramingChoicesProfiles(choices));
    m_writer.Post(m_path, WholeText(std::move(text)));
    m_choices = choices;
    if (tellWindows)
        emit Changed();
}
