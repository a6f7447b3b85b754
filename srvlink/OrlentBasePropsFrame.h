// The base of the settings frames: a frame that shows a component's settings and exchanges them
// with it as the component's props array.
#pragma once
#include "Forms.h"
#include "OleAuto.h"

class TBasePropsFrame : public TFrame {
public:
    explicit TBasePropsFrame(TComponent* AOwner);
    const char* ClassName() const override { return "TBasePropsFrame"; }
    // The settings the controls show, as the component's SetProps takes them.
    virtual void GetProps(OleVariant& Props) = 0;
    // Shows the settings of the component's GetProps.
    virtual void SetProps(const OleVariant& Props) = 0;
    // Brings the controls' states in line with each other.
    virtual void UpdateControls() = 0;
};
