#include "app/platform/CInput.h"

#include <cstring>

CInput input;

namespace
{
bool inRange(int key) { return key >= 0 && key < 256; }
} // namespace

CInput::CInput()
{
    std::memset(keys, 0, sizeof keys);
    std::memset(presses, 0, sizeof presses);
}

void CInput::SetKey(int key, bool down)
{
    if (!inRange(key))
        return;
    keys[key] = down ? 1 : 0;
}

int CInput::Pressed(int key) const { return inRange(key) ? keys[key] : 0; }

void CInput::CountPress(int key)
{
    if (inRange(key) && presses[key] < 255)
        ++presses[key];
}

bool CInput::TakePress(int key)
{
    if (!inRange(key) || presses[key] == 0)
        return false;
    presses[key] = 0;
    return true;
}
