#pragma once
// Which framing each link uses, by the link's name, kept in the user's profiles file beside the
// profiles themselves, so that an older reader (which keeps keys it does not know) keeps them too:
//
//   [My sensor]                         a profile of the user's
//   mode = silence
//   ...
//   link.1 = Bench meter                the links that frame by it, numbered from 1
//   link.2 = Port B of the monitor
//
//   [Modbus RTU]                        a built-in that links frame by, with its settings as the
//   mode = silence                      built-in has them, so that a reader that knows no built-in
//   ...                                 by that name frames by the same profile
//   builtin = yes
//   link.1 = Plant bus
//
// A link with no profile frames nothing. A link named under two profiles takes the first. The
// links dialog carries a link's profile to its new name when it is renamed and drops it when the
// link is deleted; a name that another link of the list still has keeps its profile.
#include "frame/frameprofiles.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

struct ST_FramingChoices
{
    // The user's profiles, without the link keys.
    std::vector<ST_FramingProfile> Profiles;
    // Link name -> profile name (a user's profile or a built-in, as the list shows it).
    std::map<std::string, std::string> Links;

    // The user's profile called `name` (any case), or null.
    const ST_FramingProfile *Find(const std::string &name) const;
    // The profile `name` stands for: a built-in's name gives the built-in, a user's the user's;
    // none for a name that is neither.
    std::optional<ST_FramingProfile> Resolve(const std::string &name) const;
    std::optional<ST_FramingProfile> ForLink(const std::string &linkName) const;
    // The link called `from` is called `to` now and frames as before; `keepFrom`: another link is
    // still called `from` and keeps its profile too. False when `from` has none.
    bool RenameLink(const std::string &from, const std::string &to, bool keepFrom = false);
    // The link is gone and its name frames nothing any more. False when it had no profile.
    bool ForgetLink(const std::string &name) { return Links.erase(name) > 0; }

    bool operator==(const ST_FramingChoices &o) const { return Profiles == o.Profiles && Links == o.Links; }
};

// Whether `name` is a built-in's, in any case.
bool IsBuiltInProfileName(const std::string &name);

// From the profiles as the file's reader gives them, and back.
ST_FramingChoices FramingChoicesOf(const std::vector<ST_FramingProfile> &fileProfiles);
// Throws std::invalid_argument for a link name the file cannot hold (see FrameProfilesText).
std::vector<ST_FramingProfile> FramingChoicesProfiles(const ST_FramingChoices &choices);

// What a window's edits (`mine`, begun from `base`) become over what another window saved meanwhile
// (`theirs`): the profiles and the links this window added, changed or removed, the rest as theirs.
ST_FramingChoices MergeFramingChoices(const ST_FramingChoices &base, const ST_FramingChoices &mine,
                                      const ST_FramingChoices &theirs);

// "<appFolder>/Framing.kfp".
std::string FramingFilePath(const std::string &appFolder);
// Throw as ReadFrameProfilesFile and WriteFrameProfilesFile do (and std::invalid_argument as
// FramingChoicesProfiles does).
ST_FramingChoices ReadFramingChoices(const std::string &path);
void WriteFramingChoices(const std::string &path, const ST_FramingChoices &choices);

// The profile the link called `linkName` uses, from the file in `appFolder`; none when it has none.
// Throws as ReadFramingChoices does.
std::optional<ST_FramingProfile> ProfileForLink(const std::string &appFolder, const std::string &linkName);

// The silence floor a profile frames with on the port `portName`. A floor the profile gives
// (above 0) is the user's setting and stays, as it does for every network port; an automatic one
// (0) on a device becomes the latency timer its adapter holds bytes back for, read under `sysRoot`,
// and stays 0 for a device that has none. Modes other than silence are returned as they are.
ST_FramingProfile ResolveFloor(ST_FramingProfile profile, const std::string &portName,
                               const std::string &sysRoot = "/sys");
