#include "params/ParameterImage.h"

namespace orbiqa {

ParameterImage& TheParameterImage() {
    static ParameterImage image;
    return image;
}

}  // namespace orbiqa
