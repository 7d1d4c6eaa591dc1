// With this header included first, DEFINE_GUID defines the GUID instead of declaring it.
#ifndef UPDATE_TOOL_SIM_INITGUID_H
#define UPDATE_TOOL_SIM_INITGUID_H
#define UPDATE_TOOL_SIM_INITGUID 1
#endif
