#include "OrlentFrameProps.h"

OleVariant VarByte(uint8_t v)
{
    OleVariant r;
    r.Raw().vt = VT_UI1;
    r.Raw().bVal = v;
    return r;
}

OleVariant VarSmallInt(int16_t v)
{
    OleVariant r;
    r.Raw().vt = VT_I2;
    r.Raw().iVal = v;
    return r;
}

uint8_t VarToByte(const OleVariant& v)
{
    VARIANT t;
    VariantInit(&t);
    OleCheck(VariantChangeType(&t, const_cast<VARIANT*>(&v.Raw()), 0, VT_UI1));
    return t.bVal;
}

std::vector<OleVariant> PropsElements(const OleVariant& Props, size_t count)
{
    std::vector<OleVariant> e = Props.Elements();
    if (e.size() < count) OleCheck(DISP_E_BADINDEX);
    return e;
}
