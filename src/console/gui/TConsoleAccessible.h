#pragma once
// The console as the accessibility bus sees it: a terminal whose text is the screen's rows, one
// line each, with the cursor as the caret, so a screen reader reads the line under the cursor
// and test tools read the screen.
#include <QAccessibleWidget>

class TConsoleView;

class TConsoleAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit TConsoleAccessible(TConsoleView *view);

    // Makes Qt ask this class for every console; once is enough.
    static void Install();
    // Tells assistive tools that the screen changed, when any listens.
    static void Changed(TConsoleView *view);

    void *interface_cast(QAccessible::InterfaceType t) override;
    QAccessible::Role role() const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    TConsoleView *View() const;
    // The screen's text and where each row starts in it.
    QString ScreenText(std::vector<int> *rowStarts = nullptr) const;
};
