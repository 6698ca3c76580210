#!/usr/bin/env python3
"""Finds English texts that reach a window without passing through the translation.

  untranslated_texts.py [ROOT]   exit status 1, with one line per text, when a string literal is
        handed to a caption, tip, title, message box, menu item or label of the GUI code (src/*/gui,
        src/shell, src/mainwindow, src/app) outside tr() / QCoreApplication::translate() and not
        listed in ALLOWED below.

A literal counts when it holds a letter; it is fine inside tr(...), translate(...) or a
*_TR_NOOP(...) mark, and in an argument that is not shown (an object name, a file extension)."""
import os
import re
import sys

# Calls whose arguments reach the user, with the positions of those arguments (None: every one).
SINKS = {
    'setText': None, 'setToolTip': None, 'setWindowTitle': None, 'setStatusTip': None,
    'setWhatsThis': None, 'setPlaceholderText': None, 'setAccessibleName': None,
    'setAccessibleDescription': None, 'setTitle': None, 'setLabelText': None,
    'setHeaderLabels': None, 'setHorizontalHeaderLabels': None, 'setTabText': None,
    'setPrefix': None, 'setSuffix': None, 'setSpecialValueText': None, 'showMessage': None,
    'addAction': None, 'addMenu': None, 'addTab': {1}, 'setFormat': None,
    'QAction': None, 'QMenu': None, 'QLabel': None, 'QPushButton': None, 'QCheckBox': None,
    'QRadioButton': None, 'QGroupBox': None, 'addRow': {0},
    'information': {1, 2}, 'warning': {1, 2}, 'critical': {1, 2}, 'question': {1, 2}, 'about': {1, 2},
    # The program's own helpers: the first two arguments are the parent and the object name.
    'MakeButton': {2}, 'MakeToolButton': {2, 3}, 'MakeRowList': {2}, 'AddItem': {2},
    'AddCheckItem': {2}, 'AddRadioItem': {2}, 'MakeFileDialog': {3}, 'AskFilePath': {3},
    'ShowMessage': {1}, 'TellProblem': {1}, 'ShowSendNote': None, 'ShowNote': None,
    'BoldLabel': {0}, 'm_showMessage': None, 'addItem': {0}, 'addItems': None, 'insertItem': {1},
    'QTreeWidgetItem': None, 'QTableWidgetItem': None, 'QListWidgetItem': None, 'QStandardItem': None,
    'setInformativeText': None, 'setDetailedText': None, 'setNameFilter': None,
    'setNameFilters': None, 'getText': {1, 2}, 'getOpenFileName': {1, 3}, 'getSaveFileName': {1, 3},
    'setCancelButtonText': None, 'QMessageBox': {1, 2}, 'setHeaderData': {2},
    'SetCount': None, 'NoteAutoSendFault': None, 'SetPanel': {1, 2}, 'AddNew': {2},
    'makeAction': {1}, 'MakeSpin': {2, 5}, 'MakeHexEdit': {2}, 'MakeChoice': {2, 3},
    'MakeRangeEdit': {2, 3}, 'MakeRadio': {2}, 'MakeCombo': {2, 3}, 'AddTool': {3, 4},
    'AddButton': {3, 4}, 'AddChoiceMenu': {3}, 'Mirror': {3}, 'TransferButtons': {1},
    'AskSavePath': {1}, 'getExistingDirectory': {1},
    # A literal handed to a translated text's place holder is shown inside it.
    'arg': None,
}

# Texts shown as they are on purpose, by file. Each says why.
ALLOWED = {
    # Names of decoded values as the decoders give them, whatever the language.
    ('TfrmPlot.cpp', 'unit1.hr40001, GGA.alt'),
    # The program's name.
    ('TfrmMainUi.cpp', 'Kestrum'),
    ('TfrmAbout.cpp', 'Kestrum'),
    # Markup around the web address, which is shown as it is.
    ('TfrmAbout.cpp', r'<a href=\"%1\" style=\"color:#0000ff; font-weight:bold\">%1</a>'),
    # The data formats' names are the ones of the send list's files and of the log.
    ('TfrmMainUi.cpp', 'STRING'),
    ('TfrmMainUi.cpp', 'HEX'),
    ('TfrmMainUi.cpp', 'DECIMAL'),
    ('TfrmMainUi.cpp', 'STRING&SYMBOL'),
    # The control characters' and the encodings' names.
    ('TInstantSend.cpp', 'CR'),
    ('TInstantSend.cpp', 'LF'),
    ('TInstantSend.cpp', 'CR LF'),
    ('TfrmConsoleSettings.cpp', 'CR'),
    ('TfrmConsoleSettings.cpp', 'LF'),
    ('TfrmConsoleSettings.cpp', 'CR LF'),
    ('TfrmConsoleSettings.cpp', 'DEL (0x7F)'),
    ('TfrmConsoleSettings.cpp', 'BS (0x08)'),
    ('TfrmConsoleSettings.cpp', 'UTF-8'),
    ('TfrmConsoleSettings.cpp', 'Latin-1'),
    # The find bar's close button is a cross; its tip and accessible name say what it does.
    ('TFindBar.cpp', 'x'),
    # Unit symbols, the same in every language.
    ('TLogCapture.cpp', ' MB'),
    ('TLogCapture.cpp', 'MB'),
    # The monitor's counters are named by the ports' letters.
    ('TMonitorCommands.cpp', 'A:%1/%2'),
    ('TMonitorCommands.cpp', 'B:%1/%2'),
}

FOLDERS = re.compile(r'^src/(?:[^/]+/gui|shell|mainwindow|app)/')
LITERAL = re.compile(r'"(?:\\.|[^"\\\n])*"')
# Where a literal is meant for the translation (or is a translation's own text).
MARKED = re.compile(r'\b(?:tr|translate|QT_TR_NOOP|QT_TRANSLATE_NOOP|KESTRUM_TR_NOOP|qtTrId)\s*\(')


def strip_comments(text):
    """The text with comments blanked (kept the same length, so positions still give lines)."""
    out = []
    i = 0
    n = len(text)
    while i < n:
        c = text[i]
        if c == '"' or c == "'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(text[i:j + 1])
            i = j + 1
        elif text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def arguments(text, start):
    """The top-level arguments of the call whose '(' is at `start`, as (offset, text) pairs."""
    depth = 0
    i = start
    args = []
    begin = start + 1
    while i < len(text):
        c = text[i]
        if c in '"\'':
            j = i + 1
            while j < len(text) and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            i = j + 1
            continue
        if c in '([{':
            depth += 1
        elif c in ')]}':
            depth -= 1
            if depth == 0:
                args.append((begin, text[begin:i]))
                return args
        elif c == ',' and depth == 1:
            args.append((begin, text[begin:i]))
            begin = i + 1
        i += 1
    return args


def unmarked_literals(arg):
    """The literals of an argument that are not inside a translation call."""
    blanked = arg
    for mark in MARKED.finditer(arg):
        inner = arguments(arg, mark.end() - 1)
        if inner:
            end = inner[-1][0] + len(inner[-1][1])
            blanked = blanked[:mark.start()] + ' ' * (end - mark.start()) + blanked[end:]
    return [m.group(0)[1:-1] for m in LITERAL.finditer(blanked)]


def faults(root):
    found = []
    call = re.compile(r'\b(' + '|'.join(SINKS) + r')\s*\(')
    for folder, _, names in os.walk(os.path.join(root, 'src')):
        for name in sorted(names):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, '/')
            if not FOLDERS.match(rel) or not name.endswith(('.cpp', '.h')):
                continue
            text = strip_comments(open(path, encoding='utf-8').read())
            for m in call.finditer(text):
                wanted = SINKS[m.group(1)]
                for index, (offset, arg) in enumerate(arguments(text, m.end() - 1)):
                    if wanted is not None and index not in wanted:
                        continue
                    for literal in unmarked_literals(arg):
                        words = re.sub(r'\\.|%[0-9]*[A-Za-z]|%[0-9]+', '', literal)
                        if re.search('[A-Za-z]', words) and (name, literal) not in ALLOWED:
                            line = text.count('\n', 0, offset) + 1
                            found.append(f'{rel}:{line}: "{literal}" is shown without tr()')
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..')
    found = faults(os.path.normpath(root))
    for fault in found:
        print(fault)
    if found:
        print(f'{len(found)} texts bypass the translation; wrap them in tr() or, when they are '
              'deliberately shown as they are, list them in ALLOWED')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
