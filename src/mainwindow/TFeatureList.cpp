#include "mainwindow/TFeatureList.h"

void TFeatureList::Keep(int place, LoadFn load, SaveFn save)
{
    m_settings.emplace(place, std::make_pair(std::move(load), std::move(save)));
}

void TFeatureList::UpdateControls() const
{
    for (const auto &update : m_updates)
        update();
}

void TFeatureList::Load(const QSettings &settings) const
{
    for (const auto &entry : m_settings)
        entry.second.first(settings);
}

void TFeatureList::Save(QSettings &settings) const
{
    for (const auto &entry : m_settings)
        entry.second.second(settings);
}

void TFeatureList::EndRuns() const
{
    for (const auto &end : m_ends)
        end();
}
