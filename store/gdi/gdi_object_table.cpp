// The object table: pens, brushes, fonts, palettes and regions made by records, and the stock objects.
#include "gdi_context_p.h"

#include <algorithm>

namespace store::gdi {

namespace {

Brush stockBrush(std::uint32_t stock)
{
    Brush b;
    switch (stock) {
    case WhiteBrush:
        b.color = 0xFFFFFF;
        break;
    case LtGrayBrush:
        b.color = 0xC0C0C0;
        break;
    case GrayBrush:
        b.color = 0x808080;
        break;
    case DkGrayBrush:
        b.color = 0x404040;
        break;
    case NullBrush:
        b.style = BsNull;
        break;
    case DcBrush:
        b.color = 0xFFFFFF;
        break;
    default:
        b.color = 0;
        break;
    }
    return b;
}

} // namespace

void DeviceContext::reserveObjects(std::uint32_t count)
{
    count = std::min(count, kMaxObjects);
    if (count > m_impl->objects.size())
        m_impl->objects.resize(count);
}

void DeviceContext::setObject(std::uint32_t index, Object object)
{
    if (index >= kMaxObjects)
        return;
    if (index >= m_impl->objects.size())
        m_impl->objects.resize(index + 1);
    m_impl->objects[index] = std::move(object);
}

int DeviceContext::addObject(Object object)
{
    auto& objects = m_impl->objects;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (std::holds_alternative<std::monostate>(objects[i])) {
            objects[i] = std::move(object);
            return int(i);
        }
    }
    if (objects.size() >= kMaxObjects)
        return -1;
    objects.push_back(std::move(object));
    return int(objects.size() - 1);
}

void DeviceContext::selectObject(std::uint32_t index)
{
    const Object* o = object(index);
    if (!o)
        return;
    State& s = m_impl->s;
    if (const auto* pen = std::get_if<Pen>(o)) {
        s.pen = *pen;
        m_impl->penCache.reset();
    } else if (const auto* brush = std::get_if<Brush>(o))
        s.brush = *brush;
    else if (const auto* font = std::get_if<Font>(o))
        s.font = *font;
    else if (const auto* palette = std::get_if<Palette>(o)) {
        s.palette = *palette;
        m_impl->penCache.reset(); // a pen may name its colour by palette index
    } else if (const auto* region = std::get_if<Region>(o))
        setClipRegionLogical(*region, RgnCopy);
}

void DeviceContext::selectStockObject(std::uint32_t stock)
{
    State& s = m_impl->s;
    m_impl->penCache.reset();
    switch (stock) {
    case WhitePen:
        s.pen = Pen {};
        s.pen.color = 0xFFFFFF;
        break;
    case BlackPen:
    case DcPen:
        s.pen = Pen {};
        break;
    case NullPen:
        s.pen = Pen {};
        s.pen.style = PsNull;
        break;
    case OemFixedFont:
    case AnsiFixedFont:
    case SystemFixedFont:
        s.font = Font {};
        s.font.faceName = QStringLiteral("Courier New");
        break;
    case AnsiVarFont:
    case SystemFont:
    case DeviceDefaultFont:
    case DefaultGuiFont:
        s.font = Font {};
        s.font.faceName = QStringLiteral("Arial");
        break;
    case DefaultPalette:
        s.palette = Palette {};
        m_impl->penCache.reset();
        break;
    default:
        if (stock <= NullBrush || stock == DcBrush)
            s.brush = stockBrush(stock);
        break;
    }
}

void DeviceContext::deleteObject(std::uint32_t index)
{
    if (index < m_impl->objects.size())
        m_impl->objects[index] = std::monostate {};
}

const Object* DeviceContext::object(std::uint32_t index) const
{
    if (index >= m_impl->objects.size() || std::holds_alternative<std::monostate>(m_impl->objects[index]))
        return nullptr;
    return &m_impl->objects[index];
}

std::optional<Brush> DeviceContext::brushAt(std::uint32_t index, bool stock) const
{
    if (stock)
        return index <= NullBrush || index == DcBrush ? std::optional<Brush>(stockBrush(index)) : std::nullopt;
    const Object* o = object(index);
    if (const auto* brush = o ? std::get_if<Brush>(o) : nullptr)
        return *brush;
    return std::nullopt;
}

} // namespace store::gdi
