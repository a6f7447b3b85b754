// The walk's steps for menus, tool bars and control bars.
#include "FlatSkin.h"
#include "FlatSkinKinds.h"

using namespace skinkinds;

bool TFlatSkin::IsAutoDetected(TComponent* AComponent)
{
    return IsMenuItem(AComponent) || IsToolButton(AComponent) || IsControlBar(AComponent);
}

void TFlatSkin::SkinMenusAndBars(TComponent*, bool, bool) {}

void TFlatSkin::HookMenuItems(TMenuItem*, bool) {}

void TFlatSkinManager::PopupBorderForItem(TMenuItem*) {}
