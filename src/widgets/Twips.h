// Window layouts are given in twips: 15 twips are one pixel at 96 dpi (Qt scales for other screens).
#pragma once

#include <QRect>

namespace tolvar {

constexpr int twips(int value)
{
    return (value + 7) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace tolvar
