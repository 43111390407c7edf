#pragma once
// Root of the component model. ClassName is the name under which a class is
// registered for form resources, and the name that dumps and messages show.
#include <string>

class TObject {
public:
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};

// Declares ClassName for a class of the component model.
#define DECLARE_CLASS_NAME(cls)                                                                                        \
    std::string ClassName() const override                                                                             \
    {                                                                                                                  \
        return #cls;                                                                                                   \
    }
