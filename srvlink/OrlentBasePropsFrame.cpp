#include "OrlentBasePropsFrame.h"

TBasePropsFrame::TBasePropsFrame(TComponent* AOwner) : TFrame(AOwner)
{
    SetBounds(0, 0, 443, 95);
}
