// The parameters of a Boolean model of balls, as the user gives them.
#pragma once

#include <cstdint>
#include <string>

namespace formats {

// The radius laws by name, in the order of the dialog's list; any other name gives every
// ball the radius R.
inline constexpr const char* kRadiusLaws[] = {"Uniform", "LogNormal", "Exponential"};

struct ModelParameters {
    uint32_t max_x = 0;        // X, voxels per slice row
    uint32_t max_y = 0;        // Y, rows per slice
    uint32_t max_z = 0;        // Z, slices
    double lambda = 0.0;       // expected ball centres per voxel of the enlarged box
    uint32_t max_radius = 0;   // R
    std::string distribution;  // "Uniform", "LogNormal", "Exponential" or any other text
    double parameter1 = 0.0;
    double parameter2 = 0.0;
};

}  // namespace formats
