#pragma once
// One value of the window's store as the part that keeps it declares it: its name, the value it
// takes when the store lacks it (written by an older version) or holds something that does not
// read as its type (edited by hand), and the type it is written as. The names and types are those
// the store always had, so a file written before reads the same.
#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

template <class T> class TSettingValue
{
public:
    TSettingValue(const char *name, T fallback) : m_name(QLatin1String(name)), m_default(std::move(fallback))
    {
    }

    const QString &Name() const { return m_name; }
    bool Stored(const QSettings &settings) const { return settings.contains(m_name); }
    // Nothing when the value is missing or unreadable.
    std::optional<T> Find(const QSettings &settings) const;
    T Read(const QSettings &settings) const { return Find(settings).value_or(m_default); }
    // For a value whose default is what its part already has.
    T Read(const QSettings &settings, const T &fallback) const { return Find(settings).value_or(fallback); }
    void Write(QSettings &settings, const T &value) const;

private:
    QString m_name;
    T m_default;
};

// A whole number, read as the values were always written: text or number, blanks around it allowed.
template <> std::optional<int> TSettingValue<int>::Find(const QSettings &settings) const;
template <> void TSettingValue<int>::Write(QSettings &settings, const int &value) const;
template <> std::optional<qlonglong> TSettingValue<qlonglong>::Find(const QSettings &settings) const;
template <> void TSettingValue<qlonglong>::Write(QSettings &settings, const qlonglong &value) const;
// A choice, kept as 1 or 0: on when it reads as a whole number other than 0.
template <> std::optional<bool> TSettingValue<bool>::Find(const QSettings &settings) const;
template <> void TSettingValue<bool>::Write(QSettings &settings, const bool &value) const;
template <> std::optional<QString> TSettingValue<QString>::Find(const QSettings &settings) const;
template <> void TSettingValue<QString>::Write(QSettings &settings, const QString &value) const;
template <> std::optional<QStringList> TSettingValue<QStringList>::Find(const QSettings &settings) const;
template <> void TSettingValue<QStringList>::Write(QSettings &settings, const QStringList &value) const;
template <> std::optional<QByteArray> TSettingValue<QByteArray>::Find(const QSettings &settings) const;
template <> void TSettingValue<QByteArray>::Write(QSettings &settings, const QByteArray &value) const;
