#pragma once
// The framing profiles dialog (View > Framing...): the built-ins to look at and copy, the user's
// own to make, change and delete, and which one the window's open link frames by. A table below
// frames the last bytes the window received by the profile as it is being edited, so the user
// sees the cut before choosing it.
#include "frame/framechoices.h"
#include "link/linksetting.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QTimer;

// Bytes the window received, with the steady time of their read.
struct ST_PreviewBlock
{
    std::vector<uint8_t> Bytes;
    FrameTime Time{0};
};

class TfrmFramingProfiles : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kPreviewRows = 200;
    using Blocks = std::function<std::vector<ST_PreviewBlock>()>;

    TfrmFramingProfiles(QWidget *owner, Blocks blocks);

    // The open link (none while the port is closed): the one "Use for link" offers first, and
    // whose line timing and floor the preview frames with. The other links of the link list are
    // offered too, so that the two sides of a monitor can each be given theirs.
    void SetLink(const std::optional<COM_PORT_SETTING> &link);
    // Starts from what is saved.
    void Reload();
    // More bytes arrived: the preview follows shortly.
    void BlocksChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Build();
    void FillList(const std::string &select);
    void Select();
    // The chosen profile's values into the fields, and back.
    void ShowProfile(const ST_FramingProfile &profile);
    void FieldsChanged();
    std::optional<ST_FramingProfile> FromFields(QString &error);
    ST_FramingProfile *Editing();
    std::string Current() const;
    bool CurrentIsBuiltIn() const;
    void Rename();
    void NewProfile(const ST_FramingProfile &from);
    void DeleteProfile();
    void UseForLinkToggled(bool on);
    void ShowLinkChoice();
    std::string LinkChosen() const;
    void ShowDelimiters();
    void UpdatePreview();
    void Accept();

    Blocks m_blocks;
    std::optional<COM_PORT_SETTING> m_link;
    ST_FramingChoices m_base; // as saved when the dialog began
    ST_FramingChoices m_work;
    bool m_loading = false;
    bool m_fieldsBad = false;
    QTimer *m_previewTimer;

    QListWidget *lstProfiles;
    QPushButton *btnNew, *btnCopy, *btnDelete;
    QLineEdit *edtName;
    QLabel *lblNameError;
    QComboBox *cmbMode;
    QStackedWidget *stkMode;
    QDoubleSpinBox *spnChars;
    QSpinBox *spnFloor;
    QComboBox *cmbDelimiter, *cmbDelimiterAs;
    QLineEdit *edtStart, *edtEnd;
    QLabel *lblStartError, *lblEndError;
    QCheckBox *chkKeep;
    QSpinBox *spnOffset, *spnAdd;
    QComboBox *cmbSize, *cmbOrder, *cmbCounts;
    QSpinBox *spnFixed;
    QComboBox *cmbCheck;
    QSpinBox *spnSkip, *spnTrail;
    QSpinBox *spnMaxLength, *spnTimeout;
    QComboBox *cmbDecoder;
    QLineEdit *edtDecoderFile;
    QSpinBox *spnAnswerTimeout;
    QCheckBox *chkUseForLink;
    QComboBox *cmbLink;
    QLabel *lblError;
    QTableWidget *tblPreview;
    QPushButton *btnOK, *btnCancel;
};
