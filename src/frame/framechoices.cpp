#include "frame/framechoices.h"
#include "frame/frameprofilefile.h"
#include "frame/latencytimer.h"
#include "netport/netaddress.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

const std::string kBuiltInKey = "builtin";
const std::string kLinkKey = "link.";

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsLinkKey(const std::string &key)
{
    return key.size() > kLinkKey.size() && key.compare(0, kLinkKey.size(), kLinkKey) == 0 &&
           std::all_of(key.begin() + static_cast<long>(kLinkKey.size()), key.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The built-in's name as the list spells it.
std::string BuiltInName(const std::string &name)
{
    for (const std::string &n : CFrameProfile::Names())
        if (SameName(n, name))
            return n;
    return {};
}

} // namespace

bool ST_FramingChoices::RenameLink(const std::string &from, const std::string &to, bool keepFrom)
{
    const auto it = Links.find(from);
    if (it == Links.end() || from == to)
        return false;
    const std::string profile = it->second;
    if (!keepFrom)
        Links.erase(it);
    Links[to] = profile;
    return true;
}

bool IsBuiltInProfileName(const std::string &name)
{
    return !BuiltInName(name).empty();
}

const ST_FramingProfile *ST_FramingChoices::Find(const std::string &name) const
{
    const auto it = std::find_if(Profiles.begin(), Profiles.end(),
                                 [&](const ST_FramingProfile &p) { return SameName(p.Name, name); });
    return it == Profiles.end() ? nullptr : &*it;
}

std::optional<ST_FramingProfile> ST_FramingChoices::Resolve(const std::string &name) const
{
    if (IsBuiltInProfileName(name))
        return CFrameProfile::BuiltIn(name);
    if (const ST_FramingProfile *p = Find(name))
        return *p;
    return std::nullopt;
}

std::optional<ST_FramingProfile> ST_FramingChoices::ForLink(const std::string &linkName) const
{
    const auto it = Links.find(linkName);
    return it == Links.end() ? std::nullopt : Resolve(it->second);
}

ST_FramingChoices FramingChoicesOf(const std::vector<ST_FramingProfile> &fileProfiles)
{
    ST_FramingChoices choices;
    for (ST_FramingProfile p : fileProfiles) {
        const bool builtIn = IsBuiltInProfileName(p.Name) &&
                             std::any_of(p.Unknown.begin(), p.Unknown.end(), [](const auto &kv) {
                                 return kv.first == kBuiltInKey && SameName(kv.second, "yes");
                             });
        const std::string name = builtIn ? BuiltInName(p.Name) : p.Name;
        std::vector<std::pair<std::string, std::string>> kept;
        for (auto &kv : p.Unknown) {
            if (IsLinkKey(kv.first))
                choices.Links.emplace(kv.second, name); // the first profile to name a link keeps it
            else if (!(builtIn && kv.first == kBuiltInKey))
                kept.push_back(std::move(kv));
        }
        p.Unknown = std::move(kept);
        if (!builtIn)
            choices.Profiles.push_back(std::move(p));
    }
    return choices;
}

std::vector<ST_FramingProfile> FramingChoicesProfiles(const ST_FramingChoices &choices)
{
    std::vector<ST_FramingProfile> out = choices.Profiles;
    // The links are written from Links alone: keys a caller left in would be read as a second.
    for (ST_FramingProfile &p : out)
        p.Unknown.erase(std::remove_if(p.Unknown.begin(), p.Unknown.end(),
                                       [](const auto &kv) { return IsLinkKey(kv.first); }),
                        p.Unknown.end());
    std::map<std::string, size_t> numbers;
    for (const auto &entry : choices.Links) {
        // Named, not bound: a lambda may not take a structured binding in C++17.
        const std::string &link = entry.first, &profile = entry.second;
        ST_FramingProfile *owner = nullptr;
        const auto users = out.begin() + static_cast<long>(choices.Profiles.size());
        const auto user = std::find_if(out.begin(), users,
                                       [&](const ST_FramingProfile &p) { return SameName(p.Name, profile); });
        // A profile of the user's under a built-in's name (written by hand) holds the links
        // itself: a second section of that name would make the file unreadable.
        if (user != users) {
            owner = &*user;
        } else if (IsBuiltInProfileName(profile)) {
            const std::string name = BuiltInName(profile);
            auto it =
                std::find_if(users, out.end(), [&](const ST_FramingProfile &p) { return p.Name == name; });
            if (it == out.end()) {
                out.push_back(CFrameProfile::BuiltIn(name));
                out.back().Unknown.emplace_back(kBuiltInKey, "yes");
                it = out.end() - 1;
            }
            owner = &*it;
        } else {
            continue; // a profile that is gone frames nothing
        }
        owner->Unknown.emplace_back(kLinkKey + std::to_string(++numbers[owner->Name]), link);
    }
    return out;
}

ST_FramingChoices MergeFramingChoices(const ST_FramingChoices &base, const ST_FramingChoices &mine,
                                      const ST_FramingChoices &theirs)
{
    ST_FramingChoices merged = theirs;
    auto drop = [&](const std::string &name) {
        merged.Profiles.erase(
            std::remove_if(merged.Profiles.begin(), merged.Profiles.end(),
                           [&](const ST_FramingProfile &p) { return SameName(p.Name, name); }),
            merged.Profiles.end());
    };
    for (const ST_FramingProfile &p : base.Profiles)
        if (!mine.Find(p.Name))
            drop(p.Name); // removed or renamed here
    for (const ST_FramingProfile &p : mine.Profiles) {
        const ST_FramingProfile *before = base.Find(p.Name);
        if (before && *before == p)
            continue;
        const auto it = std::find_if(merged.Profiles.begin(), merged.Profiles.end(),
                                     [&](const ST_FramingProfile &q) { return SameName(q.Name, p.Name); });
        if (it == merged.Profiles.end())
            merged.Profiles.push_back(p);
        else
            *it = p;
    }
    auto choice = [](const ST_FramingChoices &c, const std::string &link) {
        const auto it = c.Links.find(link);
        return it == c.Links.end() ? std::optional<std::string>() : it->second;
    };
    std::map<std::string, std::string> links = base.Links;
    links.insert(mine.Links.begin(), mine.Links.end());
    for (const auto &entry : links) {
        const std::optional<std::string> now = choice(mine, entry.first);
        if (now == choice(base, entry.first))
            continue;
        if (now)
            merged.Links[entry.first] = *now;
        else
            merged.Links.erase(entry.first);
    }
    return merged;
}

std::string FramingFilePath(const std::string &appFolder)
{
    return appFolder + "/Framing.kfp";
}

ST_FramingChoices ReadFramingChoices(const std::string &path)
{
    return FramingChoicesOf(ReadFrameProfilesFile(path));
}

void WriteFramingChoices(const std::string &path, const ST_FramingChoices &choices)
{
    WriteFrameProfilesFile(path, FramingChoicesProfiles(choices));
}

std::optional<ST_FramingProfile> ProfileForLink(const std::string &appFolder, const std::string &linkName)
{
    return ReadFramingChoices(FramingFilePath(appFolder)).ForLink(linkName);
}

ST_FramingProfile ResolveFloor(ST_FramingProfile profile, const std::string &portName,
                               const std::string &sysRoot)
{
    if (profile.Mode != EFramingMode::Silence || profile.Silence.Floor.count() > 0 ||
        IsNetworkPortName(portName))
        return profile;
    if (const std::optional<int> ms = LatencyFloorMs(portName, sysRoot))
        profile.Silence.Floor = std::chrono::milliseconds(*ms);
    return profile;
}
