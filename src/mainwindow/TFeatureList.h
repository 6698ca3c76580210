#pragma once
#include <QObject>
#include <QSettings>

#include <functional>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

// Where each feature's values stand in the window's settings. The store is read and written in
// one order that later versions only add to, so a new feature takes a place after the last one
// and never moves an older value.
namespace SettingsPlace {
enum : int {
    LineEnding = 10,
    Stamps = 20,
    Reconnect = 30,
    Scrollback = 40,
    ModemLines = 50,
    TextForms = 60,
    SendFile = 70,
    SendChecksum = 80,
    RecvChecksum = 90,
    Console = 100,
    ReceiveFile = 110,
    Scripts = 120,
    Dates = 130,
    Capture = 140,
    RecvChecksumLinks = 150,
    Theme = 160,
    Zoom = 170,
    ReceiveLimits = 180,
    OpenAtStart = 190,
    // A feature of the window's plan made later than these: its values follow them all, in the
    // plan's order.
    Later = 1000,
};
} // namespace SettingsPlace

// The window's features as one list. The window brings them up to date, reads and writes their
// settings and ends what they run by walking it, so a feature joins the window with one line where
// it is made instead of a member and a call in each of those places.
class TFeatureList : public QObject
{
    Q_OBJECT
public:
    using LoadFn = std::function<void(const QSettings &)>;
    using SaveFn = std::function<void(QSettings &)>;

    explicit TFeatureList(QObject *parent = nullptr) : QObject(parent) {}

    // Takes whatever of the window's walks the feature answers to: UpdateControls, StateChanged,
    // EndRun, and Load/Save when it is given its place in the settings.
    template <class F> F *Add(F *feature, int settingsPlace = -1)
    {
        if constexpr (HasUpdateControls<F>::value)
            m_updates.push_back([feature] { feature->UpdateControls(); });
        if constexpr (HasStateChanged<F>::value)
            connect(feature, &F::StateChanged, this, &TFeatureList::StateChanged);
        if constexpr (HasEndRun<F>::value)
            m_ends.push_back([feature] { feature->EndRun(); });
        if constexpr (HasSettings<F>::value) {
            if (settingsPlace >= 0)
                Keep(
                    settingsPlace, [feature](const QSettings &s) { feature->Load(s); },
                    [feature](QSettings &s) { feature->Save(s); });
        }
        return feature;
    }

    // For a feature whose values sit in more than one place, or under other names.
    void Keep(int place, LoadFn load, SaveFn save);

    void UpdateControls() const;
    void Load(const QSettings &settings) const;
    void Save(QSettings &settings) const;
    // Before the session goes: what a feature runs on its own threads ends first.
    void EndRuns() const;

signals:
    // A feature changed what other commands may do.
    void StateChanged();

private:
    template <class F, class = void> struct HasUpdateControls : std::false_type
    {
    };
    template <class F>
    struct HasUpdateControls<F, std::void_t<decltype(std::declval<F &>().UpdateControls())>> : std::true_type
    {
    };
    template <class F, class = void> struct HasStateChanged : std::false_type
    {
    };
    template <class F> struct HasStateChanged<F, std::void_t<decltype(&F::StateChanged)>> : std::true_type
    {
    };
    template <class F, class = void> struct HasEndRun : std::false_type
    {
    };
    template <class F>
    struct HasEndRun<F, std::void_t<decltype(std::declval<F &>().EndRun())>> : std::true_type
    {
    };
    template <class F, class = void> struct HasSettings : std::false_type
    {
    };
    template <class F>
    struct HasSettings<F, std::void_t<decltype(std::declval<F &>().Load(std::declval<const QSettings &>())),
                                      decltype(std::declval<const F &>().Save(std::declval<QSettings &>()))>>
        : std::true_type
    {
    };

    std::vector<std::function<void()>> m_updates;
    std::vector<std::function<void()>> m_ends;
    std::multimap<int, std::pair<LoadFn, SaveFn>> m_settings;
};
