// The grid's exception class and message formatting.
#include "grid/GxTypes.h"

EGridError::EGridError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message) {}

QString GxFormat(const QString& pattern, std::initializer_list<QString> args) {
    QString out;
    out.reserve(pattern.size() + 32);
    auto arg = args.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const bool slot =
            c == u'%' && i + 1 < pattern.size() && (pattern[i + 1] == u's' || pattern[i + 1] == u'd');
        if (slot && arg != args.end()) {
            out += *arg++;
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

void RaiseListIndexError(int64_t index) {
    throw EGridError(GxFormat(QStringLiteral("List index out of bounds (%d)"), {QString::number(index)}));
}
