"""The verdict of a row measured in rounds: pass when every round is within
its limit, fail when none is, unstable when the rounds lie on both sides."""
import statistics


def within(value, op, bound):
    """Whether value meets the limit op bound (op is "<=" or ">=")."""
    if op == "<=":
        return value <= bound
    if op == ">=":
        return value >= bound
    raise ValueError(f"unknown limit {op}")


def verdict(values, op, bound):
    """"pass", "FAIL" or "unstable" for the rounds' values; no value fails."""
    inside = [within(v, op, bound) for v in values]
    if inside and all(inside):
        return "pass"
    if not any(inside):
        return "FAIL"
    return "unstable"


def spread(values, fmt="{:.2f}", unit=""):
    """The median of the values and their range as texts, e.g. ("1.10", "1.02-1.19")."""
    if not values:
        return "", ""
    return (fmt.format(statistics.median(values)) + unit,
            f"{fmt.format(min(values))}-{fmt.format(max(values))}{unit}")
