// The clipboard as the popups and the log pages use it: Unicode text, and nothing copied for an
// empty text so the operator's clipboard is not wiped.
#pragma once

#include <QString>

void CopyWideTextToClipboard(const QString& Text);
