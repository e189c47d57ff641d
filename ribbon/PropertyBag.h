#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace Ribbon {

// The host's saved form: named values a control writes when the form is saved and
// reads when it is loaded. A value equal to its default is not kept.
class PropertyBag
{
public:
    virtual ~PropertyBag() = default;
    virtual QVariant ReadProperty(const QString &Name, const QVariant &DefaultValue) const = 0;
    virtual void WriteProperty(const QString &Name, const QVariant &Value, const QVariant &DefaultValue) = 0;
};

// A property bag held in memory.
class MemoryPropertyBag : public PropertyBag
{
public:
    QVariant ReadProperty(const QString &Name, const QVariant &DefaultValue) const override
    {
        return m_values.value(Name, DefaultValue);
    }

    void WriteProperty(const QString &Name, const QVariant &Value, const QVariant &DefaultValue) override
    {
        if (Value == DefaultValue) {
            m_values.remove(Name);
        } else {
            m_values.insert(Name, Value);
        }
    }

    bool contains(const QString &name) const { return m_values.contains(name); }
    QVariant value(const QString &name) const { return m_values.value(name); }
    void setValue(const QString &name, const QVariant &value) { m_values.insert(name, value); }

private:
    QVariantMap m_values;
};

} // namespace Ribbon
