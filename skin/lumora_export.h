// Symbols that libLumora.so exports; everything else in it stays hidden.
#pragma once

#define LUMORA_API __attribute__((visibility("default")))
