#include "windows/ConfigurationVariant.h"

namespace qb480 {

const ServiceVariant kServiceVariant = kConfigurationVariant;

}  // namespace qb480
