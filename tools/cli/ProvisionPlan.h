#pragma once
// provision, first step: the batch planned and checked whole before any port is opened: the
// template, the --set values for every module, and the per-module values of --each.
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"

namespace orbiqa::cli {

using FieldValues = std::vector<std::pair<std::string, std::string>>;

/// One module of the batch: its port, its image and the values it was given.
struct ProvisionModule {
    std::string port;  ///< COM name
    ParameterImage image;
    FieldValues values;  ///< field, value (--set and CSV)
    std::string site;    ///< the site the provision is recorded to, or empty
};

/// The modules of the batch from the command's arguments, every value applied and checked.
std::vector<ProvisionModule> PlanModules(const ParsedArgs& args);

}  // namespace orbiqa::cli
