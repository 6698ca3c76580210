#pragma once
// Bytes shown as editable text in the String form, and read back so that only what the user
// typed changes. A text edit cannot hold every byte as it is: it keeps no bare CR, turns every
// line end into a paragraph break, and its plain-text read turns a no-break space into a blank.
// So the bytes are shown with visible signs where the edit would change them (CR LF as a line
// break, a lone CR as the sign for CR, a lone LF as the sign for LF before a line break, 0x00 as
// the sign for NUL), and read back by comparing the edit's raw text with what was shown: only
// the stretch between the unchanged start and the unchanged end is converted from text, the rest
// keeps its own bytes.
#include "data/commdata.h"

#include <QString>
#include <vector>

class QTextDocument;

class CShownBytes
{
public:
    // With UTF-8 the bytes of a character are shown as that character and typed text becomes
    // UTF-8; bytes that are not UTF-8 are still shown one character each.
    void SetUtf8(bool on) { m_utf8 = on; }
    bool Utf8() const { return m_utf8; }
    // The text that shows `bytes`; remembers both for Read.
    QString Show(const Bytes &bytes);
    // The bytes that `text` (the edit's raw text now) stands for.
    Bytes Read(const QString &text) const;

    // Typed text as bytes: a line break is CR LF (what line-based devices expect), the signs
    // stand for their bytes, other characters are Latin-1 ('?' above 0xFF) or UTF-8.
    static Bytes FromTyped(const QString &text, bool utf8 = false);
    // The document's text as it holds it, without the conversions of its plain-text read.
    static QString RawText(const QTextDocument *document);

private:
    // One shown piece: the bytes and characters up to its end. CR LF is one piece of one
    // character; every other byte is a piece of its own.
    struct Piece
    {
        size_t ByteEnd;
        int CharEnd;
    };

    bool m_utf8 = false;
    Bytes m_bytes;
    QString m_text;
    std::vector<Piece> m_pieces;
};
