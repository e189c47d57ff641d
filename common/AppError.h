#pragma once

#include <QString>
#include <stdexcept>
#include <utility>

namespace Common {

// The one error type of the program: a number, a source text and a description.
// Database failures, ribbon failures (9, 91, ...) and picture-loading failures all
// travel as an AppError.
class AppError : public std::runtime_error
{
public:
    AppError(int number, QString source, QString description)
        : std::runtime_error(description.toStdString()),
          m_number(number),
          m_source(std::move(source)),
          m_description(std::move(description))
    {
    }

    int number() const { return m_number; }
    const QString &source() const { return m_source; }
    const QString &description() const { return m_description; }

private:
    int m_number;
    QString m_source;
    QString m_description;
};

// Runs one step of a routine that goes on past failing steps: any error the step
// raises is swallowed and the caller carries on with its next step.
template<typename Step>
bool runSkippingFailure(Step &&step) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace Common
