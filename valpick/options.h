// VALPICK's command line (placeholder until the lookup lands).
#pragma once

[[noreturn]] void printValpickUsage();
