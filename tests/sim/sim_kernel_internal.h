// Inside the simulated kernel only: how SimKernelReset reaches the parts kept in other files.
#ifndef UPDATE_TOOL_SIM_KERNEL_INTERNAL_H
#define UPDATE_TOOL_SIM_KERNEL_INTERNAL_H

void SimResetDevices();
void SimResetSetup();
void SimAdvanceTicks(DWORD milliseconds);

#endif
