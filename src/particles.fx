//
// Particle effect: screen-space distortion and shadow-mapped particles.
//

float fShadowIntensity = 0.0f;  // added to the shadow map sample
float4 vAmbientLight;

float4x4 mWorld;
float4x4 mViewProj;
float4x4 mStaticShadowMap;  // world to shadow map coordinates

texture SceneTex;
texture DiffuseTex;
texture StaticShadowMap;

sampler sSceneTex = sampler_state
{
    Texture = <SceneTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

sampler sDiffuseTex = sampler_state
{
    Texture = <DiffuseTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

// Outside the map the border is white: unshadowed.
sampler sStaticShadow = sampler_state
{
    Texture = <StaticShadowMap>;
    MinFilter = Linear;
    MagFilter = Linear;
    AddressU = Border;
    AddressV = Border;
    BorderColor = 0xFFFFFFFF;
};

struct VS_IN_BBPARTICLE
{
    float4 Position : POSITION;
    float4 Color    : COLOR;
    float2 TexCoord : TEXCOORD0;
};

struct VS_OUT_DIFFUSESHADOW
{
    float4 Position  : POSITION;
    float4 Color     : COLOR;
    float2 TexCoord  : TEXCOORD0;
    float4 ShadowPos : TEXCOORD1;
};

struct VS_OUT_DISTORT
{
    float4 Position  : POSITION;
    float4 Color     : COLOR;
    float2 TexCoord  : TEXCOORD0;
    float4 ScreenPos : TEXCOORD1;
};

//
// DiffuseShadow: the particle texture darkened by the static shadow map.
//

VS_OUT_DIFFUSESHADOW VS_DIFFUSESHADOW(VS_IN_BBPARTICLE In)
{
    VS_OUT_DIFFUSESHADOW Out;
    float4 worldPos = mul(In.Position, mWorld);
    Out.Position = mul(worldPos, mViewProj);
    Out.ShadowPos = mul(float4(worldPos.xyz, 1.0f), mStaticShadowMap);
    Out.ShadowPos /= Out.ShadowPos.w;
    Out.TexCoord = In.TexCoord;
    Out.Color = In.Color;
    return Out;
}

float4 PS_DIFFUSESHADOW(float4 Color : COLOR0,
                        float2 TexCoord : TEXCOORD0,
                        float4 ShadowPos : TEXCOORD1) : COLOR0
{
    float4 diffuse = tex2D(sDiffuseTex, TexCoord);
    float shadow = saturate(tex2D(sStaticShadow, ShadowPos.xy).r + fShadowIntensity);
    diffuse.rgb *= shadow;
    diffuse *= Color;
    return diffuse;
}

//
// Distort: the scene behind the particle, displaced by its texture.
//

VS_OUT_DISTORT VS_DISTORT(VS_IN_BBPARTICLE In)
{
    VS_OUT_DISTORT Out;
    float4 worldPos = mul(In.Position, mWorld);
    Out.Position = mul(worldPos, mViewProj);
    Out.ScreenPos = mul(float4(worldPos.xyz, 1.0f), mViewProj);
    Out.ScreenPos.x *= 0.5f;
    Out.ScreenPos.y *= -0.5f;
    Out.TexCoord = In.TexCoord;
    Out.Color = In.Color;
    return Out;
}

float4 PS_DISTORT(float4 Color : COLOR0,
                  float2 TexCoord : TEXCOORD0,
                  float4 ScreenPos : TEXCOORD1) : COLOR0
{
    float4 screen = ScreenPos / ScreenPos.w;
    screen.xy += 0.5f;
    // Half-texel offsets of a 1600 x 1200 scene texture.
    screen.x += 0.5f / 1600.0f;
    screen.y += 0.5f / 1200.0f;

    float4 diffuse = tex2D(sDiffuseTex, TexCoord);
    // Red and green are a signed direction; the particle's alpha scales it.
    float2 offset = (diffuse.xy * 2.0f - 1.0f) * Color.a * 0.025f;
    float3 scene = tex2D(sSceneTex, screen.xy + offset).rgb;
    return float4(scene * saturate(Color.rgb + (1.0f - min(diffuse.a, Color.a))), 1.0f);
}

technique DiffuseShadow
{
    pass P0
    {
        VertexShader = compile vs_1_1 VS_DIFFUSESHADOW();
        PixelShader = compile ps_2_0 PS_DIFFUSESHADOW();
    }
}

technique Distort
{
    pass P0
    {
        VertexShader = compile vs_1_1 VS_DISTORT();
        PixelShader = compile ps_2_0 PS_DISTORT();
    }
}
