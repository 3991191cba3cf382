#include "common/TypedLength.h"

#include <QLineEdit>
#include <QValidator>

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

QStringView leadingCharacters(QStringView text, qsizetype characters)
{
    qsizetype end = 0;
    for (qsizetype taken = 0; end < text.size() && taken < characters; ++taken)
        end += text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
    return text.first(end);
}

namespace {

class TypedLengthValidator : public QValidator
{
public:
    TypedLengthValidator(QLineEdit* box, int limit)
        : QValidator(box)
        , m_limit(limit)
    {
        // The box already holds the edited text while it is validated, so remember the length
        // of the last accepted text ourselves. A program's setText is validated too, but an
        // Invalid answer only undoes an edit, never a text set by the program.
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_characters = characterCount(text); });
    }

    State validate(QString& input, int&) const override
    {
        const qsizetype characters = characterCount(input);
        return characters > m_limit && characters > m_characters ? Invalid : Acceptable;
    }

private:
    int m_limit;
    qsizetype m_characters = 0;
};

} // namespace

void limitTypedLength(QLineEdit* box, int limit)
{
    box->setValidator(new TypedLengthValidator(box, limit));
}
