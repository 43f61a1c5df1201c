#pragma once

#define cli()
