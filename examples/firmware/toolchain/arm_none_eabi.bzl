"""A C toolchain for ARM Cortex-M0 with Debian's arm-none-eabi-gcc."""

load("@bazel_tools//tools/build_defs/cc:action_names.bzl", "ACTION_NAMES")
load(
    "@bazel_tools//tools/cpp:cc_toolchain_config_lib.bzl",
    "feature",
    "flag_group",
    "flag_set",
    "tool_path",
)

_TOOLS = ["ar", "cpp", "gcc", "gcov", "ld", "nm", "objdump", "strip"]

def _arm_none_eabi_toolchain_config_impl(ctx):
    cortex_m0 = feature(
        name = "cortex_m0",
        enabled = True,
        flag_sets = [flag_set(
            actions = [
                ACTION_NAMES.assemble,
                ACTION_NAMES.c_compile,
                ACTION_NAMES.cpp_compile,
                ACTION_NAMES.preprocess_assemble,
            ],
            flag_groups = [flag_group(flags = ["-mcpu=cortex-m0", "-mthumb"])],
        )],
    )

    # Bazel before 7 has cc_common only as a global, which rules_cc itself
    # hands on.
    # buildifier: disable=native-cc-common
    return cc_common.create_cc_toolchain_config_info(
        ctx = ctx,
        toolchain_identifier = "arm-none-eabi",
        host_system_name = "local",
        target_system_name = "arm-none-eabi",
        target_cpu = "armv6-m",
        target_libc = "none",
        compiler = "gcc",
        abi_version = "eabi",
        abi_libc_version = "none",
        tool_paths = [
            tool_path(name = name, path = "/usr/bin/arm-none-eabi-" + name)
            for name in _TOOLS
        ],
        features = [cortex_m0],
        cxx_builtin_include_directories = [
            "/usr/lib/gcc/arm-none-eabi",
            "/usr/lib/arm-none-eabi/include",
        ],
    )

arm_none_eabi_toolchain_config = rule(
    implementation = _arm_none_eabi_toolchain_config_impl,
    provides = [CcToolchainConfigInfo],
)
