// Marks the classes and functions that the kernel library exports.
// Everything else is built with hidden visibility and stays internal.
#pragma once

#define OSTRAKON_API __attribute__((visibility("default")))
