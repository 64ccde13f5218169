#include "framework/fx/BehaviorObjectPanel.h"
