#pragma once

// An allocator adaptor for arrays whose elements are all written before
// they are read: a std::vector of it leaves the elements it makes (resize,
// growing) as they are, default-initialised, instead of zeroing them. For a
// buffer or a table of MiBs that saves a pass over all of it, and the page
// faults of the part a short run never uses.

#include <memory>
#include <new>
#include <utility>

namespace plexor
{
    template <typename Base>
    struct LeftUninitialized : Base
    {
        template <typename U>
        struct rebind
        {
            using other = LeftUninitialized<typename std::allocator_traits<Base>::template rebind_alloc<U>>;
        };

        LeftUninitialized() = default;
        template <typename Other>
        LeftUninitialized(const LeftUninitialized<Other>&) noexcept
        {
        }

        template <typename U>
        void construct(U* p) noexcept
        {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args)
        {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
}
