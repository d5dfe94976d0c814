// Numbered error texts of the messaging client in its five languages: sockets, proxies, the server
// connection and the direct connections each ask for a text by number in their own language.
#pragma once

#include <QString>

enum TICQLangType { LANG_EN, LANG_RU, LANG_HU, LANG_NO, LANG_DE };

// The text of Number (1..26) in Language; empty for any other number or an unknown language.
QString GetICQErrorText(TICQLangType Language, int Number);
