#pragma once

#include "rtf_model.h"

#include "platform/bytes.h"

class QTextDocument;

namespace help {

/**
 * Replaces the content of `document` with `rtf`: one block per paragraph, indents and spacing converted from
 * twips at `dpi` pixels per inch, runs with their fonts and colours. A hanging indent gets a tab stop at the
 * left indent, as word processors have it. Undo is switched off: the document is for reading.
 */
void buildDocument(const RtfDocument& rtf, QTextDocument& document, qreal dpi);

/**
 * Replaces the content of `document` with Windows-1250 text: CR LF, lone CR and lone LF each end a paragraph.
 */
void setPlainText(platform::ByteView bytes, QTextDocument& document);

/** Whether `bytes` are RTF for the rich edit control: they start exactly with "{\rtf" or "{\urtf". */
[[nodiscard]] bool isRtf(platform::ByteView bytes);

/** Fills `document` from a help file's bytes: RTF when isRtf(), plain Windows-1250 text otherwise. */
void loadHelpText(platform::ByteView bytes, QTextDocument& document, qreal dpi);

} // namespace help
