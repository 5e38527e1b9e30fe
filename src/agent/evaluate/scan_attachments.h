#pragma once
// Attachment criteria on the parts the MIME reader finds, the same in both scans.

#include <string>
#include <vector>

#include "evaluate/evaluation.h"
#include "message/mime_part.h"

namespace kz::evaluate {

// A part's file name, then its name, decoded as attachment criteria match them (encoded
// words converted to the single-byte code page); empty ones left out.
std::vector<std::string> AttachmentNames(const MimePart& part);

// Disposition "attachment", or a file name or a name.
bool IsAttachment(const MimePart& part);

// HASANATTACHMENT for an attachment part: named when its headers hold "name=" or a name
// was read from one of the RFC 2231 forms.
void EvaluatePresence(Evaluation& evaluation, const MimePart& part,
                      const std::vector<std::string>& names);

// For a message whose parts could not all be looked at: the attachment criteria hold, so
// that what the scan could not see never passes unchecked.
void HoldAttachmentCriteriaOfHiddenParts(Evaluation& evaluation);

}  // namespace kz::evaluate
