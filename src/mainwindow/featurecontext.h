#pragma once
// What the shell hands a feature that the window's plan makes (PlannedFeatures, windowplan.h):
// the parts of the window any feature may work with. A planned feature is made from these alone,
// so adding one edits its own files and its line in the plan.
#include <QString>
#include <functional>

class CPortSession;
class QWidget;
class TFeatureList;
class TFeatureServices;
class TMenuSlots;
class TSessionBridge;
class TSharedStore;
class TStatusArea;
class TTrafficLog;
struct TfrmMainUi;

struct ST_FeatureContext
{
    QWidget *Window; // the dialogs' parent and the features' owner
    TfrmMainUi &Ui;
    int WindowNumber; // 1 is the first
    CPortSession &Session;
    TSessionBridge &Events;
    TFeatureServices &Services;
    TMenuSlots &Menus;
    TStatusArea &Status;
    TTrafficLog &Log;
    TSharedStore &Store; // the lists all windows share
    std::function<void(const QString &)> ShowMessage;
};

// Makes a feature and adds it to `features` (TFeatureList::Add) with `settingsPlace`.
using FeatureMaker = void (*)(const ST_FeatureContext &context, TFeatureList &features, int settingsPlace);
