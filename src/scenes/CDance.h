#pragma once
#include "app/CScene.h"

// Placeholder scene: a plain frame until the scene lands.
class CDemoHandler::CDance : public CDemoHandler::CScene
{
public:
    void Setup() override;
    void Render() override;
    void Close() override {}
};
